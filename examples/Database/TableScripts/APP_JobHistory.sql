-- The job history table and its lookup index.
IF OBJECT_ID('dbo.APP_JobHistory') IS NULL
    CREATE TABLE dbo.APP_JobHistory (
        jobId bigint NOT NULL PRIMARY KEY,
        clientId int NOT NULL,
        startedAt datetime NOT NULL,
        finishedAt datetime NULL
    );
GO
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = 'IX_APP_JobHistory_client')
    CREATE INDEX IX_APP_JobHistory_client ON dbo.APP_JobHistory (clientId, startedAt);
GO
