-- Drops the product's procedures so that they are created afresh.
IF OBJECT_ID('dbo.sp_GetClientStatus') IS NOT NULL DROP PROCEDURE dbo.sp_GetClientStatus;
IF OBJECT_ID('dbo.sp_PurgeJobHistory') IS NOT NULL DROP PROCEDURE dbo.sp_PurgeJobHistory;
GO
