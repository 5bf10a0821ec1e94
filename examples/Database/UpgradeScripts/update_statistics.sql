-- Refreshes the statistics of the tables the upgrade changed.
UPDATE STATISTICS dbo.APP_Client;
UPDATE STATISTICS dbo.APP_JobHistory;
GO
